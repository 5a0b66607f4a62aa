// A tiny module for the loader tests; each build of it says where it was placed.
extern "C" __attribute__((visibility("default"))) const char* quendry_probe_place()
{
    return QUENDRY_PROBE_PLACE;
}
