#include "app_context.h"

namespace vantor {

namespace {
AppContext *g_context = nullptr;
}

void InstallContext(AppContext *context) { g_context = context; }

AppContext *Context() { return g_context; }

UiServices &Ui() { return *g_context->ui; }

LinkGate &Link() { return *g_context->link; }

}  // namespace vantor
