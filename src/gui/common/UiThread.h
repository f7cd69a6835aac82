#pragma once
// Runs a function on the UI thread (the QApplication's) and waits for it: directly when already there,
// otherwise through a blocking queued call, so a worker sees the handler's effect when it returns.
#include <functional>

namespace orva {

bool OnUiThread();
void RunOnUiThread(const std::function<void()>& fn);

} // namespace orva
