#pragma once

#include <iterator>
#include <memory>
#include <utility>
#include <vector>

// Frees a tree held through shared pointers one node at a time, so a chain
// of any depth (a menu reply decides how deep) never costs one destructor
// frame per level on the stack. `children` gives a node's own child list.
// Only the last owner of a node empties it; a subtree someone else still
// holds stays whole.
template <class T, class Children>
void releaseTreeIteratively(std::vector<std::shared_ptr<T>>& owned, Children children)
{
    std::vector<std::shared_ptr<T>> pending = std::move(owned);
    owned.clear();
    while (!pending.empty()) {
        std::shared_ptr<T> node = std::move(pending.back());
        pending.pop_back();
        if (node && node.use_count() == 1) {
            auto& kids = children(*node);
            std::move(kids.begin(), kids.end(), std::back_inserter(pending));
            kids.clear();
        }
        // `node` goes here with no children left to free below it.
    }
}
