#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace zelvora {

// A growing array of plain values on malloc and realloc. A large one grows by remapping its pages
// where std::vector would copy them into fresh ones, page faults and all.
// NOLINTNEXTLINE(cppcoreguidelines-special-member-functions): the assignment by value moves and copies
template <typename T> class GrowingArray
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray &other) { append(other.data(), other.size()); }
    GrowingArray(GrowingArray &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_capacity(std::exchange(other.m_capacity, 0))
    {}
    GrowingArray &operator=(GrowingArray other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        return *this;
    }
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): frees what realloc below allocated
    ~GrowingArray() { std::free(m_data); }

    T *data() { return m_data; }
    const T *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T &operator[](std::size_t i) { return m_data[i]; }
    const T &operator[](std::size_t i) const { return m_data[i]; }
    const T *begin() const { return m_data; }
    const T *end() const { return m_data + m_size; }

    void reserve(std::size_t capacity)
    {
        if (capacity > m_capacity)
            reallocate(capacity);
    }
    // New elements are left uninitialised. Grows as appending does, so that growing by small steps
    // costs no more than appending.
    void resize(std::size_t size)
    {
        if (size > m_capacity)
            reallocate(std::max({std::size_t(64), 2 * m_capacity, size}));
        m_size = size;
    }
    void push_back(T value)
    {
        if (m_size == m_capacity)
            reallocate(std::max<std::size_t>(64, 2 * m_capacity));
        m_data[m_size++] = value;
    }
    void append(const T *values, std::size_t count)
    {
        if (m_size + count > m_capacity)
            reallocate(std::max({std::size_t(64), 2 * m_capacity, m_size + count}));
        if (count > 0)
            std::memcpy(m_data + m_size, values, count * sizeof(T));
        m_size += count;
    }

private:
    void reallocate(std::size_t capacity)
    {
        if (capacity > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): realloc may grow in place, which is the point
        void *grown = std::realloc(m_data, capacity * sizeof(T));
        if (!grown)
            throw std::bad_alloc();
        m_data = static_cast<T *>(grown);
        m_capacity = capacity;
    }

    T *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace zelvora
