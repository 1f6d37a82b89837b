#include "host/progress.h"

namespace infemora {

IProgress& NullProgress() {
    static IProgress quiet;
    return quiet;
}

} // namespace infemora
