#pragma once
// A fresh template id: the local time as "%Y%m%d%H%M%S". The id is the key by which groups bind
// templates, so a stamp that a template of the store already holds is moved on a second at a
// time until it is free.

#include "platform/clock/Clock.h"
#include "platform/text/CString.h"

class TemplateStore;

CString NewTemplateId(const TemplateStore& store, const platform::Clock& clock);
