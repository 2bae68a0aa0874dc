// SPDX-License-Identifier: MIT
#pragma once

#include "console/host.h"

namespace platform {

// A serial component as the window hosts it: the window owns it and destroys
// it with itself, which closes the port. release() closes the port without
// throwing; the error path uses it before the report is shown.
class HostedComponent : public console::SerialComponent {
public:
    virtual void release() noexcept = 0;
};

} // namespace platform
