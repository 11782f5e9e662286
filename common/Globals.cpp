#include "common/Globals.h"

QString gCurrentFile;
