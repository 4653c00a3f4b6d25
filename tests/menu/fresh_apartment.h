// Runs a test body on a new STA thread, so it starts with the component's
// per-apartment state untouched.
#pragma once

#include "support/host.h"

#include <thread>

namespace zanthel::test {

template <typename Body>
void OnFreshApartment(Body body)
{
    std::thread thread([&] {
        ComApartment apartment;
        body();
    });
    thread.join();
}

}  // namespace zanthel::test
