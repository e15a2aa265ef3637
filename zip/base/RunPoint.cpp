#include "zip/base/RunPoint.h"

namespace mzb {
namespace {

RunPointObserver observer = nullptr;

} // namespace

void SetRunPointObserver(RunPointObserver newObserver) {
    observer = newObserver;
}

void PassRunPoint(const char* point) {
    if (observer != nullptr) {
        observer(point);
    }
}

} // namespace mzb
