// Configuration sets ("conf.<set>.<param>") and the variables bound to the
// parameters of the active set. Changes are applied by update(), which the
// execution context calls between callbacks.
#pragma once

#include <coil/Properties.h>
#include <coil/stringutil.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

class ConfigBase {
  public:
    ConfigBase(const char* name, const char* def_val) : name(name), default_value(def_val) {}
    virtual ~ConfigBase() {}
    // Converts val into the variable; on failure the default is converted
    // instead and false is returned.
    virtual bool update(const char* val) = 0;
    const std::string name;
    const std::string default_value;
};

template <typename VarType>
class Config : public ConfigBase {
  public:
    typedef bool (*TransFunc)(VarType&, const char*);
    Config(const char* name, VarType& var, const char* def_val, TransFunc trans)
        : ConfigBase(name, def_val), m_var(var), m_trans(trans) {}
    bool update(const char* val) override {
        if (m_trans(m_var, val)) return true;
        m_trans(m_var, default_value.c_str());
        return false;
    }

  private:
    VarType& m_var;
    TransFunc m_trans;
};

class ConfigAdmin {
  public:
    // configsets is the "conf" node of the component's properties.
    explicit ConfigAdmin(coil::Properties& configsets);
    ~ConfigAdmin();

    template <typename VarType>
    bool bindParameter(const char* param_name, VarType& var, const char* def_val,
                       bool (*trans)(VarType&, const char*) = coil::stringTo) {
        if (param_name == nullptr || def_val == nullptr) return false;
        std::lock_guard<std::mutex> guard(m_mutex);
        if (findParam(param_name) != nullptr) return false;
        std::unique_ptr<ConfigBase> config(new Config<VarType>(param_name, var, def_val, trans));
        config->update(def_val);
        m_params.push_back(std::move(config));
        return true;
    }
    bool unbindParameter(const char* param_name);

    // Applies the active set to the bound variables when something changed.
    void update();
    // Applies one set, or one parameter of it, to the bound variables.
    void update(const char* config_set);
    void update(const char* config_set, const char* config_param);

    bool isExist(const char* param_name) const;
    bool isChanged() const { return m_changed.load(); }
    std::string getActiveId() const;
    bool haveConfig(const char* config_id) const;
    bool isActive() const { return m_active; }

    std::vector<std::string> getConfigurationSetIds() const;
    // A copy of one set's parameters (empty when it does not exist).
    coil::Properties getConfigurationSet(const char* config_id) const;
    // Sets one parameter's value in a set; it takes effect at the next update().
    bool setParameter(const char* config_id, const char* param, const char* value);
    bool setConfigurationSetValues(const coil::Properties& config_set);
    bool addConfigurationSet(const coil::Properties& configuration_set);
    bool removeConfigurationSet(const char* config_id);
    bool activateConfigurationSet(const char* config_id);

  private:
    ConfigBase* findParam(const char* name) const;
    void applySet(const std::string& set, const char* only_param);

    mutable std::mutex m_mutex;
    coil::Properties& m_configsets;
    std::vector<std::unique_ptr<ConfigBase>> m_params;
    std::string m_activeId;
    bool m_active;
    std::atomic<bool> m_changed;
};

}  // namespace RTC
