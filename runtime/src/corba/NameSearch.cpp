#include "NameSearch.h"

#include <omniORB4/omniORB.h>

namespace RTC {
namespace corba {

namespace {
// A naming tree is small; these bound the walk of a hostile or broken one.
const int kMaxDepth = 6;
const int kMaxBindings = 5000;
const CORBA::ULong kAliveTimeoutMs = 1000;
}  // namespace

bool NameSearch::alive(CORBA::Object_ptr obj) {
    if (CORBA::is_nil(obj)) return false;
    try {
        omniORB::setClientCallTimeout(obj, kAliveTimeoutMs);
        return !obj->_non_existent();
    } catch (...) {
        // Unreachable or gone: its name is free to take.
        return false;
    }
}

bool NameSearch::search(CosNaming::NamingContext_ptr ctx, const std::string& name, int depth,
                        int& budget) {
    if (depth > kMaxDepth || budget <= 0) return false;
    CosNaming::BindingList_var list;
    CosNaming::BindingIterator_var rest;
    ctx->list(static_cast<CORBA::ULong>(budget), list.out(), rest.out());
    if (!CORBA::is_nil(rest.in())) {
        try {
            rest->destroy();
        } catch (...) {
        }
    }
    budget -= static_cast<int>(list->length());
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        const CosNaming::Binding& b = list[i];
        if (b.binding_name.length() != 1) continue;
        const std::string id = static_cast<const char*>(b.binding_name[0].id);
        const std::string kind = static_cast<const char*>(b.binding_name[0].kind);
        try {
            if (b.binding_type == CosNaming::nobject) {
                if (id == name && kind == "rtc") {
                    CORBA::Object_var obj = ctx->resolve(b.binding_name);
                    if (alive(obj.in())) return true;
                }
            } else {
                CORBA::Object_var obj = ctx->resolve(b.binding_name);
                CosNaming::NamingContext_var sub = CosNaming::NamingContext::_narrow(obj.in());
                if (!CORBA::is_nil(sub.in()) && search(sub.in(), name, depth + 1, budget))
                    return true;
            }
        } catch (const CORBA::Exception&) {
            // An entry that went away meanwhile, or a context elsewhere that does not answer.
        }
    }
    return false;
}

bool NameSearch::liveComponentNamed(CosNaming::NamingContext_ptr root, const std::string& name,
                                    const std::string& context) {
    int budget = kMaxBindings;
    if (context.empty()) return search(root, name, 0, budget);
    CosNaming::Name path;
    path.length(1);
    const auto dot = context.rfind('.');
    path[0].id = context.substr(0, dot).c_str();
    path[0].kind = dot == std::string::npos ? "" : context.substr(dot + 1).c_str();
    CORBA::Object_var obj;
    try {
        obj = root->resolve(path);
    } catch (const CosNaming::NamingContext::NotFound&) {
        return false;
    }
    CosNaming::NamingContext_var ctx = CosNaming::NamingContext::_narrow(obj.in());
    if (CORBA::is_nil(ctx.in())) return false;
    return search(ctx.in(), name, 1, budget);
}

}  // namespace corba
}  // namespace RTC
