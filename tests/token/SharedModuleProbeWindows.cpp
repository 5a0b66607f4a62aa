// The loader tests' module as a DLL; each build of it says where it was placed.
extern "C" __declspec(dllexport) const char* quendry_probe_place()
{
    return QUENDRY_PROBE_PLACE;
}
