// Method pointers: comparable {object, member} pairs, like the framework's
// events. Two delegates are equal when they call the same member function on
// the same object (or the same free function); an empty delegate is "not
// assigned". Portable.
#pragma once

#include <type_traits>
#include <utility>

template <class Signature>
class TDelegate;

namespace kes_detail {
template <class M>
struct MemberClass;
template <class C, class R, class... A>
struct MemberClass<R (C::*)(A...)> {
    using Type = C;
};
template <class C, class R, class... A>
struct MemberClass<R (C::*)(A...) const> {
    using Type = const C;
};
}  // namespace kes_detail

template <class R, class... A>
class TDelegate<R(A...)> {
public:
    using Function = R (*)(A...);

    TDelegate() = default;
    TDelegate(std::nullptr_t) {}

    // Of<&TClass::Method>(object): calls object->Method(args...).
    // The class is a template argument of its own, not only read from the
    // member: g++ gives an instantiation whose sole argument is a member of a
    // class in an unnamed namespace outside linkage, so two files with a
    // class of the same name there would share one thunk, and one of them
    // would call the other's member.
    // The object is taken as a pointer to the member's own class (never
    // deduced from the argument), so one member gives one thunk however the
    // object is passed.
    template <auto Member, class C = typename kes_detail::MemberClass<decltype(Member)>::Type>
    static TDelegate Of(std::type_identity_t<C>* object) {
        TDelegate d;
        d.FObject = const_cast<void*>(static_cast<const void*>(object));
        d.FThunk = &MemberThunk<Member, C>;
        return d;
    }

    // A free function (or a captureless lambda converted to one).
    static TDelegate OfFunction(Function fn) {
        TDelegate d;
        d.FFunction = fn;
        d.FThunk = fn ? &FunctionThunk : nullptr;
        return d;
    }

    bool Assigned() const { return FThunk != nullptr; }
    explicit operator bool() const { return Assigned(); }
    void* Object() const { return FObject; }

    R operator()(A... args) const { return FThunk(FObject, FFunction, std::forward<A>(args)...); }

    friend bool operator==(const TDelegate& a, const TDelegate& b) {
        return a.FObject == b.FObject && a.FThunk == b.FThunk && a.FFunction == b.FFunction;
    }
    friend bool operator==(const TDelegate& a, std::nullptr_t) { return !a.Assigned(); }

private:
    using Thunk = R (*)(void*, Function, A...);

    template <auto Member, class C>
    static R MemberThunk(void* object, Function, A... args) {
        return (static_cast<C*>(object)->*Member)(std::forward<A>(args)...);
    }
    static R FunctionThunk(void*, Function fn, A... args) { return fn(std::forward<A>(args)...); }

    void* FObject = nullptr;
    Function FFunction = nullptr;
    Thunk FThunk = nullptr;
};

class TObject;
using TNotifyEvent = TDelegate<void(TObject* Sender)>;
