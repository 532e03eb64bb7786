// A module with singletons of several priorities whose destructors tell the loading program
// the order in which they run when the module is unloaded.
#include "utility/log/singleton.h"

#include <windows.h>

namespace {

using Recorder = void (*)(char name);
Recorder record = nullptr;

template <char Name>
struct Named {
    ~Named() { record(Name); }
};

template <char Name, std::uint32_t P>
void Use() {
    tarn::Utility::SingletonT<Named<Name>, P>::Instance();
}

// Its constructor needs another singleton of the same priority, which is thus registered
// first and destroyed after it.
struct User {
    User() { Use<'i', 255>(); }
    ~User() { record('u'); }
};

// Its destruction needs a singleton not created before, destroyed in a following pass.
struct NeedsLate {
    ~NeedsLate() {
        record('n');
        Use<'l', 7>();
    }
};

} // namespace

extern "C" __declspec(dllexport) void StartSingletons(Recorder recorder) {
    record = recorder;
    Use<'a', 254>();
    Use<'b', 255>();
    Use<'c', 4095>();
    tarn::Utility::SingletonT<User, 255>::Instance();
    Use<'e', 65535>();
    tarn::Utility::SingletonT<NeedsLate, 300>::Instance();
    Use<'f', 254>();
}
