#include "fake_view.h"

FakeView::FakeView() = default;
