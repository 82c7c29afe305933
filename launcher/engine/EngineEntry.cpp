// The engine library's entry points (see launcher/shared/EngineSide.h).
#include "launcher/engine/Engine.h"
#include "launcher/login/LoginPage.h"

#ifndef KEST_VERSION_STRING
#error "KEST_VERSION_STRING: the library's own version, set by the build"
#endif

extern "C" {

// The version this library was built as, compiled in here: asking
// kest::programVersion() would answer the front program's.
__attribute__((visibility("default"))) const char* kest_engine_version()
{
    return KEST_VERSION_STRING;
}

__attribute__((visibility("default"))) int kest_engine_interface()
{
    return kest::kEngineInterface;
}

__attribute__((visibility("default"))) kest::EngineSide* kest_engine_create()
{
    // The scheme has to be known before the engine's first object or
    // profile; the front program has made none.
    kest::LoginPage::registerAppScheme();
    return new kest::Engine;
}

} // extern "C"
