#include <rtm/ConfigAdmin.h>

namespace RTC {

ConfigAdmin::ConfigAdmin(coil::Properties& configsets)
    : m_configsets(configsets), m_activeId("default"), m_active(true), m_changed(false) {
    // Every component has its active "default" set, empty when it binds no parameter.
    m_configsets.createNode("default");
}

ConfigAdmin::~ConfigAdmin() {}

bool ConfigAdmin::unbindParameter(const char* param_name) {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto it = m_params.begin(); it != m_params.end(); ++it) {
        if ((*it)->name == param_name) {
            m_params.erase(it);
            return true;
        }
    }
    return false;
}

ConfigBase* ConfigAdmin::findParam(const char* name) const {
    for (const auto& p : m_params) {
        if (p->name == name) return p.get();
    }
    return nullptr;
}

void ConfigAdmin::applySet(const std::string& set, const char* only_param) {
    coil::Properties* node = m_configsets.findNode(set);
    if (node == nullptr) return;
    for (const auto& p : m_params) {
        if (only_param != nullptr && p->name != only_param) continue;
        coil::Properties* value = node->findNode(p->name);
        if (value == nullptr) continue;
        p->update(node->getProperty(p->name).c_str());
    }
}

void ConfigAdmin::update() {
    if (!m_changed.load()) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    m_changed = false;
    if (m_active) applySet(m_activeId, nullptr);
}

void ConfigAdmin::update(const char* config_set) {
    if (config_set == nullptr) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    applySet(config_set, nullptr);
}

void ConfigAdmin::update(const char* config_set, const char* config_param) {
    if (config_set == nullptr || config_param == nullptr) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    applySet(config_set, config_param);
}

bool ConfigAdmin::isExist(const char* param_name) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return param_name != nullptr && findParam(param_name) != nullptr;
}

std::string ConfigAdmin::getActiveId() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_activeId;
}

bool ConfigAdmin::haveConfig(const char* config_id) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return config_id != nullptr && m_configsets.hasKey(config_id) != nullptr;
}

std::vector<std::string> ConfigAdmin::getConfigurationSetIds() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<std::string> ids;
    for (const coil::Properties* set : m_configsets.getLeaf()) {
        // Sets whose name starts with '_' hold descriptions, not values.
        if (set->getName()[0] != '_') ids.push_back(set->getName());
    }
    return ids;
}

coil::Properties ConfigAdmin::getConfigurationSet(const char* config_id) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    coil::Properties copy;
    if (config_id == nullptr) return copy;
    coil::Properties* set = m_configsets.hasKey(config_id);
    if (set == nullptr) return copy;
    for (const std::string& key : set->propertyNames())
        copy.setProperty(key, set->getProperty(key));
    return copy;
}

bool ConfigAdmin::setParameter(const char* config_id, const char* param, const char* value) {
    if (config_id == nullptr || param == nullptr || value == nullptr) return false;
    if (config_id[0] == '\0' || param[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    m_configsets.getNode(config_id).setProperty(param, value);
    if (m_activeId == config_id) m_changed = true;
    return true;
}

bool ConfigAdmin::setConfigurationSetValues(const coil::Properties& config_set) {
    const char* id = config_set.getName();
    if (id == nullptr || id[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_configsets.hasKey(id) == nullptr) return false;
    coil::Properties& set = m_configsets.getNode(id);
    for (const std::string& key : config_set.propertyNames())
        set.setProperty(key, config_set.getProperty(key));
    if (m_activeId == id) m_changed = true;
    return true;
}

bool ConfigAdmin::addConfigurationSet(const coil::Properties& configuration_set) {
    const char* id = configuration_set.getName();
    if (id == nullptr || id[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_configsets.hasKey(id) != nullptr) return false;
    coil::Properties& set = m_configsets.getNode(id);
    for (const std::string& key : configuration_set.propertyNames()) {
        set.setProperty(key, configuration_set.getProperty(key));
    }
    return true;
}

bool ConfigAdmin::removeConfigurationSet(const char* config_id) {
    if (config_id == nullptr || std::string(config_id) == "default") return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_activeId == config_id) return false;
    coil::Properties* node = m_configsets.removeNode(config_id);
    if (node == nullptr) return false;
    delete node;
    return true;
}

bool ConfigAdmin::activateConfigurationSet(const char* config_id) {
    if (config_id == nullptr) return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_configsets.hasKey(config_id) == nullptr) return false;
    m_activeId = config_id;
    m_active = true;
    m_changed = true;
    return true;
}

}  // namespace RTC
