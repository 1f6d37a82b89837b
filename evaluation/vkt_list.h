#pragma once
// The typed list in which the evaluation keeps its records by value.
#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace infemora {

template <typename T> class TVKT_List {
public:
    // Negative, zero or positive, as the program family's comparison functions answer.
    using CompareFunc = std::function<int(const T&, const T&)>;

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    int Add(T item) {
        items_.push_back(std::move(item));
        return Count() - 1;
    }
    const T& Items(int index) const { return items_.at(check(index)); }
    T& Items(int index) { return items_.at(check(index)); }
    const T& operator[](int index) const { return Items(index); }
    T& operator[](int index) { return Items(index); }
    void Replace(int index, T item) { items_.at(check(index)) = std::move(item); }

    // Index of the first item the predicate accepts, -1 when none.
    template <typename Pred> int IndexOf(Pred pred) const {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (pred(items_[i]))
                return static_cast<int>(i);
        return -1;
    }

    // Not stable: items that compare equal may end up in any order. The order is found on
    // indices and then applied with one move per item: records are large to move around.
    template <typename Compare> void Sort(const Compare& compare) {
        SortByIndex([&](std::size_t a, std::size_t b) { return compare(items_[a], items_[b]) < 0; });
    }
    // The same with a strict "less" on the items' indices, for callers that compare keys of
    // their own instead of the items.
    template <typename Less> void SortByIndex(const Less& less) {
        std::vector<std::size_t> ordnung(items_.size());
        std::iota(ordnung.begin(), ordnung.end(), std::size_t{0});
        std::sort(ordnung.begin(), ordnung.end(), less);
        // Position k takes the item at ordnung[k]; follow each cycle once.
        for (std::size_t k = 0; k < ordnung.size(); ++k) {
            if (ordnung[k] == k)
                continue;
            T gehalten = std::move(items_[k]);
            std::size_t j = k;
            while (ordnung[j] != k) {
                const std::size_t von = ordnung[j];
                items_[j] = std::move(items_[von]);
                ordnung[j] = j;
                j = von;
            }
            items_[j] = std::move(gehalten);
            ordnung[j] = j;
        }
    }
    void Clear() {
        // Give the memory back: a run may collect many records and the next one few.
        std::deque<T>().swap(items_);
    }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::size_t check(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
            throw std::out_of_range("Listenindex außerhalb des gültigen Bereichs (" + std::to_string(index) +
                                    ")");
        return static_cast<std::size_t>(index);
    }
    // A deque grows without moving what it holds: no second copy of a large list while it grows.
    std::deque<T> items_;
};

} // namespace infemora
