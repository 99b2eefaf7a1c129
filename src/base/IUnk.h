#pragma once
// The root of the launcher's interfaces: only a virtual destructor, so that
// any object can be destroyed through it. Thread rules are the implementer's.

class IUnk {
public:
    virtual ~IUnk() = default;
};
