#include <coil/Properties.h>
#include <coil/stringutil.h>

#include "coil/ConfigReader.h"

#include <istream>
#include <ostream>

namespace coil {

namespace {

// Parts of a dotted key, counted without splitting it.
std::size_t keyParts(const std::string& key) {
    std::size_t parts = 1;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '.' && (i == 0 || key[i - 1] != '\\')) ++parts;
    }
    return parts;
}

}  // namespace

Properties::Properties(const char* key, const char* value)
    : name(key ? key : ""), value(value ? value : ""), root(nullptr) {}

Properties::Properties(std::map<std::string, std::string>& defaults) : root(nullptr) {
    for (const auto& kv : defaults) setDefault(kv.first, kv.second);
}

Properties::Properties(const char* const defaults[], long num) : root(nullptr) {
    setDefaults(defaults, num);
}

Properties::Properties(const Properties& prop)
    : name(prop.name), value(prop.value), default_value(prop.default_value), root(nullptr) {
    for (const std::string& key : prop.propertyNames()) {
        const Properties* node = prop.findNode(key);
        if (node == nullptr) continue;
        setDefault(key, node->default_value);
        setProperty(key, node->value);
    }
}

Properties& Properties::operator=(const Properties& prop) {
    if (this == &prop) return *this;
    clear();
    name = prop.name;
    value = prop.value;
    default_value = prop.default_value;
    for (const std::string& key : prop.propertyNames()) {
        const Properties* node = prop.findNode(key);
        if (node == nullptr) continue;
        setDefault(key, node->default_value);
        setProperty(key, node->value);
    }
    return *this;
}

Properties::~Properties() {
    clear();
    if (root != nullptr) root->removeNode(name.c_str());
}

const std::string& Properties::getProperty(const std::string& key) const {
    Properties* node = findNode(key);
    if (node == nullptr) return m_empty;
    return node->value.empty() ? node->default_value : node->value;
}

const std::string& Properties::getProperty(const std::string& key, const std::string& def) const {
    const std::string& v = getProperty(key);
    return v.empty() ? def : v;
}

const std::string& Properties::getDefault(const std::string& key) const {
    Properties* node = findNode(key);
    return node == nullptr ? m_empty : node->default_value;
}

std::string Properties::setProperty(const std::string& key, const std::string& val) {
    Properties* node = nodeFor(key);
    if (node == nullptr) return "";
    std::string old = node->value;
    node->value = val;
    return old;
}

std::string Properties::setDefault(const std::string& key, const std::string& val) {
    Properties* node = nodeFor(key);
    if (node == nullptr) return "";
    std::string old = node->default_value;
    node->default_value = val;
    return old;
}

Properties* Properties::nodeFor(const std::string& key) {
    if (key.empty()) return this;
    Properties* found = findNode(key);
    if (found != nullptr) return found;
    createNode(key);
    return findNode(key);
}

void Properties::setDefaults(const char* const defaults[], long num) {
    if (defaults == nullptr) return;
    for (long i = 0; i < num && defaults[i] != nullptr && defaults[i][0] != '\0'; i += 2) {
        std::string key = eraseBothEndsBlank(defaults[i]);
        if (i + 1 >= num || defaults[i + 1] == nullptr) break;
        setDefault(key, eraseBothEndsBlank(defaults[i + 1]));
    }
}

void Properties::list(std::ostream& out) const { _store(out, "", this); }

void Properties::load(std::istream& in) {
    // Lines that cannot be entries are skipped; the manager reports them when it reads rtc.conf.
    ConfigReader reader;
    reader.read(in, *this);
}

void Properties::store(std::ostream& out, const std::string& header) const {
    if (!header.empty()) out << "#" << header << std::endl;
    _store(out, "", this);
}

std::vector<std::string> Properties::propertyNames() const {
    std::vector<std::string> names;
    for (const Properties* child : leaf) _propertiyNames(names, child->name, child);
    return names;
}

int Properties::size() const { return static_cast<int>(propertyNames().size()); }

Properties* Properties::findNode(const std::string& key) const {
    if (key.empty()) return nullptr;
    if (keyParts(key) > kMaxDepth) return nullptr;
    std::vector<std::string> keys;
    split(key, '.', keys);
    return _getNode(keys, 0, this);
}

Properties& Properties::getNode(const std::string& key) {
    Properties* node = nodeFor(key);
    return node != nullptr ? *node : *this;
}

bool Properties::createNode(const std::string& key) {
    if (key.empty()) return false;
    if (findNode(key) != nullptr) return false;
    // Deeper trees would make every walk over them recurse as deep.
    if (keyParts(key) > kMaxDepth) return false;
    std::vector<std::string> keys;
    split(key, '.', keys);
    Properties* curr = this;
    for (const std::string& k : keys) {
        Properties* next = nullptr;
        for (Properties* child : curr->leaf) {
            if (child->name == k) {
                next = child;
                break;
            }
        }
        if (next == nullptr) {
            // The whole part names the node, NUL bytes included, so that findNode matches it.
            next = new Properties();
            next->name = k;
            next->root = curr;
            curr->leaf.push_back(next);
        }
        curr = next;
    }
    return true;
}

Properties* Properties::removeNode(const char* leaf_name) {
    if (leaf_name == nullptr) return nullptr;
    for (auto it = leaf.begin(); it != leaf.end(); ++it) {
        if ((*it)->name == leaf_name) {
            Properties* node = *it;
            leaf.erase(it);
            node->root = nullptr;
            return node;
        }
    }
    return nullptr;
}

Properties* Properties::hasKey(const char* key) const {
    if (key == nullptr) return nullptr;
    for (Properties* child : leaf) {
        if (child->name == key) return child;
    }
    return nullptr;
}

void Properties::clear() {
    while (!leaf.empty()) {
        Properties* node = leaf.back();
        leaf.pop_back();
        node->root = nullptr;
        delete node;
    }
}

Properties& Properties::operator<<(const Properties& prop) {
    for (const std::string& key : prop.propertyNames()) {
        setProperty(key, prop.getProperty(key));
    }
    return *this;
}

std::string& Properties::operator[](const std::string& key) {
    Properties* node = nodeFor(key);
    if (node == nullptr) {
        m_discard.clear();
        return m_discard;
    }
    if (node->value.empty()) node->value = node->default_value;
    return node->value;
}

const std::string& Properties::operator[](const std::string& key) const { return getProperty(key); }

void Properties::splitKeyValue(const std::string& str, std::string& key, std::string& value) {
    // The first unescaped ':' or '=' separates; failing that, the first blank.
    std::string::size_type length = str.size();
    for (std::string::size_type i = 0; i < length; ++i) {
        if ((str[i] == ':' || str[i] == '=') && (i == 0 || str[i - 1] != '\\')) {
            key = str.substr(0, i);
            value = str.substr(i + 1);
            return;
        }
    }
    for (std::string::size_type i = 0; i < length; ++i) {
        if ((str[i] == ' ' || str[i] == '\t') && (i == 0 || str[i - 1] != '\\')) {
            key = str.substr(0, i);
            value = str.substr(i + 1);
            return;
        }
    }
    key = str;
    value.clear();
}

bool Properties::split(const std::string& str, char delim, std::vector<std::string>& value) {
    if (str.empty()) return false;
    std::string::size_type begin = 0;
    for (std::string::size_type i = 0; i < str.size(); ++i) {
        if (str[i] == delim && (i == 0 || str[i - 1] != '\\')) {
            value.push_back(str.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    value.push_back(str.substr(begin));
    return true;
}

Properties* Properties::_getNode(std::vector<std::string>& keys,
                                 std::vector<Properties*>::size_type index,
                                 const Properties* curr) {
    // One level per key part, without recursion: keys may be deep.
    for (; index < keys.size(); ++index) {
        const Properties* next = nullptr;
        for (const Properties* child : curr->leaf) {
            if (child->name == keys[index]) {
                next = child;
                break;
            }
        }
        if (next == nullptr) return nullptr;
        curr = next;
    }
    return const_cast<Properties*>(curr);
}

void Properties::_propertiyNames(std::vector<std::string>& names, std::string curr_name,
                                 const Properties* curr) {
    if (!curr->value.empty() || !curr->default_value.empty() || curr->leaf.empty()) {
        names.push_back(curr_name);
    }
    for (const Properties* child : curr->leaf) {
        _propertiyNames(names, curr_name + "." + child->name, child);
    }
}

void Properties::_store(std::ostream& out, std::string curr_name, const Properties* curr) {
    for (const Properties* child : curr->leaf) {
        std::string next = curr_name.empty() ? child->name : curr_name + "." + child->name;
        if (child->leaf.empty() || !child->value.empty() || !child->default_value.empty()) {
            out << next << ": " << (child->value.empty() ? child->default_value : child->value)
                << std::endl;
        }
        _store(out, next, child);
    }
}

std::ostream& Properties::_dump(std::ostream& out, const Properties& curr, int index) {
    if (index != 0) out << indent(index) << "- " << curr.name;
    if (curr.leaf.empty()) {
        out << ": " << (curr.value.empty() ? curr.default_value : curr.value) << std::endl;
        return out;
    }
    if (index != 0) out << std::endl;
    for (const Properties* child : curr.leaf) _dump(out, *child, index + 1);
    return out;
}

std::string Properties::indent(int index) {
    std::string space;
    for (int i = 0; i < index - 1; ++i) space += "  ";
    return space;
}

std::ostream& operator<<(std::ostream& lhs, const Properties& rhs) {
    return Properties::_dump(lhs, rhs, 0);
}

}  // namespace coil
