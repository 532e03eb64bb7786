// Misuses a singleton the way its argument says, writing "before" and "after" around the
// misuse so that the caller sees that nothing runs after it.
#include "utility/log/singleton.h"

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

struct Service {
    int value = 1;
};

struct LateService {
    int value = 2;
};

void Say(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    using tarn::Utility::SingletonT;
    const char* mode = argc > 1 ? argv[1] : "";
    SingletonT<Service, 10>::Instance();
    tarn::Utility::DestroySingletons();
    Say("before\n");
    if (std::strcmp(mode, "use-after-destruction") == 0) {
        SingletonT<Service, 10>::Instance();
    } else if (std::strcmp(mode, "create-from-other-thread") == 0) {
        std::thread other([] { SingletonT<LateService, 10>::Instance(); });
        other.join();
    }
    Say("after\n");
    return 0;
}
