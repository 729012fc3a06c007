// A COM object pointer that is released when it goes out of scope, so a chain of WIC calls can
// stop at its first failure without leaking what it made before.
#pragma once

namespace toolbox {

template <class T> struct Held {
    T *object = 0;
    Held() = default;
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;
    ~Held()
    {
        if (object)
            object->Release();
    }
    T **out() { return &object; }
    T *operator->() { return object; }
};

}  // namespace toolbox
