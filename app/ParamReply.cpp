#include "ParamReply.h"
