#include "machine/live/livemachine.h"

namespace tarn {

Machine& LiveMachine() {
    // Stateless: every query asks Windows afresh, so one object serves every thread.
    static live::WindowsMachine machine;
    return machine;
}

} // namespace tarn
