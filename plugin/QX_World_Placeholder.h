#pragma once
// Stand-in descriptor of the world object until the world object class exists: same identity,
// creates nothing.

#include "host/ClassDesc2.h"

/// The stand-in world descriptor (class id of the world object, Create answers null).
ClassDesc2* GetQXWorldPlaceholderDesc();
