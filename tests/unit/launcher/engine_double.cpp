// Test double of the engine library: the entry points of a library of
// another build (another version, another interface, or one missing),
// which the real build cannot be made to produce. Never asked to create.
#include "launcher/shared/EngineSide.h"

extern "C" {

const char* kest_engine_version()
{
    return KEST_DOUBLE_VERSION;
}

int kest_engine_interface()
{
    return KEST_DOUBLE_INTERFACE;
}

#ifndef KEST_DOUBLE_NO_CREATE
kest::EngineSide* kest_engine_create()
{
    return nullptr;
}
#endif

} // extern "C"
