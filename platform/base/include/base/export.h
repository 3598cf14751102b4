#pragma once
// The one export macro: every target is built with hidden visibility, so a
// symbol leaves its shared object only when it carries RT_API. The runtime
// library marks its interface with it; a module marks its entry points
// (extern "C" RT_API HRESULT DllGetClassObject(...)).
#define RT_API __attribute__((visibility("default")))
