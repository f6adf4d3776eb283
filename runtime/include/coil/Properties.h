// Hierarchical key/value properties with dotted keys ("a.b.c"), defaults per
// node, and the "key: value" text format of the framework's configuration files.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace coil {

class Properties {
  public:
    // Most dot-separated parts a key may have; a deeper key is not stored
    // (setProperty and setDefault leave the tree as it is).
    static constexpr std::size_t kMaxDepth = 256;

    explicit Properties(const char* key = "", const char* value = "");
    explicit Properties(std::map<std::string, std::string>& defaults);
    // Key/value table; reading stops after num entries or at the first empty key.
    Properties(const char* const defaults[], long num = 0x7fffffffL);
    Properties(const Properties& prop);
    Properties& operator=(const Properties& prop);
    virtual ~Properties();

    const char* getName() const { return name.c_str(); }
    const char* getValue() const { return value.c_str(); }
    const char* getDefaultValue() const { return default_value.c_str(); }
    const std::vector<Properties*>& getLeaf() const { return leaf; }
    const Properties* getRoot() const { return root; }

    // Value of key, or its default, or "" when the key does not exist.
    const std::string& getProperty(const std::string& key) const;
    const std::string& getProperty(const std::string& key, const std::string& def) const;
    const std::string& getDefault(const std::string& key) const;
    // Returns the previous value.
    std::string setProperty(const std::string& key, const std::string& value);
    std::string setDefault(const std::string& key, const std::string& value);
    void setDefaults(const char* const defaults[], long num = 0x7fffffffL);

    void list(std::ostream& out) const;
    // Reads "key: value" / "key = value" lines; '#' or '!' start comments,
    // a trailing backslash continues a line.
    void load(std::istream& in);
    void store(std::ostream& out, const std::string& header = "") const;

    // Full dotted names of every node that holds a value, depth first.
    std::vector<std::string> propertyNames() const;
    int size() const;
    Properties* findNode(const std::string& key) const;
    // Like findNode, but creates the node when it is missing; *this for a
    // key nested deeper than kMaxDepth.
    Properties& getNode(const std::string& key);
    bool createNode(const std::string& key);
    Properties* removeNode(const char* leaf_name);
    Properties* hasKey(const char* key) const;
    void clear();
    // Merges prop into this tree, overwriting equal keys.
    Properties& operator<<(const Properties& prop);
    std::string& operator[](const std::string& key);
    const std::string& operator[](const std::string& key) const;

    static void splitKeyValue(const std::string& str, std::string& key, std::string& value);
    static bool split(const std::string& str, char delim, std::vector<std::string>& value);

  protected:
    static Properties* _getNode(std::vector<std::string>& keys,
                                std::vector<Properties*>::size_type index, const Properties* curr);
    static void _propertiyNames(std::vector<std::string>& names, std::string curr_name,
                                const Properties* curr);
    static void _store(std::ostream& out, std::string curr_name, const Properties* curr);
    static std::ostream& _dump(std::ostream& out, const Properties& curr, int index);
    static std::string indent(int index);

  private:
    std::string name;
    std::string value;
    std::string default_value;
    Properties* root;
    std::vector<Properties*> leaf;
    const std::string m_empty;
    // What operator[] hands out for a key too deep to store.
    std::string m_discard;

    // The node of key, created when missing; null for a key too deep.
    Properties* nodeFor(const std::string& key);

    friend std::ostream& operator<<(std::ostream& lhs, const Properties& rhs);
};

std::ostream& operator<<(std::ostream& lhs, const Properties& rhs);

}  // namespace coil
