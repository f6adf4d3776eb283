#include "NamingBrowser.h"

#include <algorithm>

#include "RemoteCall.h"
#include "ToolError.h"

namespace rtctl {

namespace {
// Contexts nest no deeper than this; it also ends a cycle of contexts.
constexpr int kMaxDepth = 16;

}  // namespace

NamingBrowser::NamingBrowser(CORBA::ORB_ptr orb, const std::string& address) : m_address(address) {
    const std::string subject = "naming service at " + address;
    std::string location = "corbaloc:iiop:" + address + "/NameService";
    CORBA::Object_var object = remoteCall(subject, "string_to_object",
                                          [&] { return orb->string_to_object(location.c_str()); });
    m_root =
        remoteCall(subject, "_is_a", [&] { return CosNaming::NamingContext::_narrow(object); });
    if (CORBA::is_nil(m_root)) throw ToolError("no naming service at " + address);
}

const std::string& NamingBrowser::address() const { return m_address; }

CORBA::Object_ptr NamingBrowser::resolve(const std::vector<std::string>& segments) {
    CosNaming::Name name = corbakit::toCosName(segments);
    try {
        return m_root->resolve(name);
    } catch (const CosNaming::NamingContext::NotFound&) {
        return CORBA::Object::_nil();
    } catch (const CosNaming::NamingContext::CannotProceed&) {
        return CORBA::Object::_nil();
    } catch (const CosNaming::NamingContext::InvalidName&) {
        return CORBA::Object::_nil();
    } catch (const CORBA::SystemException& e) {
        throw ToolError(CorbaText::describe("naming service at " + m_address, "resolve", e));
    }
}

void NamingBrowser::walk(CosNaming::NamingContext_ptr context, const std::string& prefix, int depth,
                         std::vector<Entry>& out) {
    if (depth > kMaxDepth) return;
    CosNaming::BindingList_var bindings;
    CosNaming::BindingIterator_var rest;
    const std::string subject = "naming service at " + m_address;
    remoteCall(subject, "list", [&] { context->list(1000, bindings.out(), rest.out()); });
    std::vector<CosNaming::Binding> all(bindings->length());
    for (CORBA::ULong i = 0; i < bindings->length(); ++i) all[i] = bindings[i];
    if (!CORBA::is_nil(rest)) {
        CosNaming::BindingList_var more;
        while (remoteCall(subject, "next_n", [&] { return rest->next_n(1000, more.out()); })) {
            for (CORBA::ULong i = 0; i < more->length(); ++i) all.push_back(more[i]);
        }
        try {
            rest->destroy();
        } catch (const CORBA::Exception&) {
            // The service reclaims iterators on its own.
        }
    }
    for (const CosNaming::Binding& binding : all) {
        if (binding.binding_name.length() != 1) continue;
        const CosNaming::NameComponent& component = binding.binding_name[0];
        std::string path = prefix + corbakit::toText(component);
        if (binding.binding_type == CosNaming::ncontext) {
            CORBA::Object_var object;
            CosNaming::NamingContext_var child;
            try {
                object = context->resolve(binding.binding_name);
                child = CosNaming::NamingContext::_narrow(object);
            } catch (const CORBA::Exception&) {
                // A context on a server that went away: skip it.
                continue;
            }
            if (!CORBA::is_nil(child)) walk(child, path + "/", depth + 1, out);
            continue;
        }
        if (std::string(static_cast<const char*>(component.kind)) != "rtc") continue;
        Entry entry;
        entry.path = path;
        try {
            entry.object = context->resolve(binding.binding_name);
        } catch (const CORBA::Exception&) {
            continue;
        }
        out.push_back(entry);
    }
}

std::vector<NamingBrowser::Entry> NamingBrowser::components() {
    std::vector<Entry> out;
    walk(m_root, "", 0, out);
    std::sort(out.begin(), out.end(),
              [](const Entry& a, const Entry& b) { return a.path < b.path; });
    return out;
}

NamingBrowser::Entry NamingBrowser::find(const corbakit::NamingPath& path) {
    Entry entry;
    if (path.form() != corbakit::NamingPath::Form::Bare) {
        entry.object = resolve(path.segments());
        if (CORBA::is_nil(entry.object))
            throw ToolError("no component '" + path.text() + "' in the naming service at " +
                            m_address);
        for (const std::string& segment : path.segments())
            entry.path += (entry.path.empty() ? "" : "/") + segment;
        return entry;
    }
    const std::string& leaf = path.segments().back();
    // Where the framework registers by default: "<host>.host_cxt/<name>.rtc".
    std::vector<std::string> local = {corbakit::localHostName() + ".host_cxt", leaf};
    entry.object = resolve(local);
    if (!CORBA::is_nil(entry.object)) {
        entry.path = local[0] + "/" + local[1];
        return entry;
    }
    std::vector<Entry> matches;
    for (Entry& candidate : components()) {
        std::string::size_type slash = candidate.path.rfind('/');
        std::string last =
            slash == std::string::npos ? candidate.path : candidate.path.substr(slash + 1);
        if (last == leaf) matches.push_back(candidate);
    }
    if (matches.empty())
        throw ToolError("no component '" + path.text() + "' in the naming service at " + m_address);
    if (matches.size() > 1) {
        std::string list;
        for (const Entry& match : matches) list += (list.empty() ? "" : ", ") + match.path;
        throw ToolError("component name '" + path.text() + "' is ambiguous; give one of: " + list);
    }
    return matches.front();
}

}  // namespace rtctl
