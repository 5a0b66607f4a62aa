#include "ui/App.h"

wxIMPLEMENT_APP(MyApp);
