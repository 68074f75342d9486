// A platform header that reaches up into the framework: the layering check must refuse it.
#pragma once
#include "platform/win32_api.h"
#include "framework/afxstr.h"
