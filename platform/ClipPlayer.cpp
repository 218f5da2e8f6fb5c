#include "platform/ClipPlayer.h"
