#pragma once

#include <cstdlib>
#include <memory>

// The shared instance held in `slot`, made when there is none. The first one
// made also arranges for the process exit to drop it before the shared
// instances its making used (they were made first, so they go after it): its
// destructor unregisters from them and so never calls into one already gone.
template <class T> T* sharedInstanceIn(std::unique_ptr<T>& slot)
{
    if (!slot) {
        slot = std::make_unique<T>();
        static std::unique_ptr<T>* const held = &slot;
        [[maybe_unused]] static const int dropAtExit = std::atexit([] { held->reset(); });
    }
    return slot.get();
}
