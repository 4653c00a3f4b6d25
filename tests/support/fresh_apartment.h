// Runs a test body as a host thread would: its own single-threaded apartment
// on a new thread, so the component's per-thread state starts untouched and
// is torn down when the thread ends.
#pragma once

#include "support/host.h"

#include <gtest/gtest.h>

#include <thread>

namespace zanthel::test {

template <typename Body>
void OnFreshApartment(Body body)
{
    bool returned = false;
    std::thread thread([&] {
        ComApartment apartment;
        // Set however the body returns, even by a failed ASSERT; not when the
        // thread dies under it (Wine ends only the thread on a stack overflow).
        struct Returned {
            bool& flag;
            ~Returned() { flag = true; }
        } guard{returned};
        body();
    });
    thread.join();
    EXPECT_TRUE(returned) << "the test's thread died before its body returned";
}

}  // namespace zanthel::test
