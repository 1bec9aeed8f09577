#pragma once
// The framework's growable arrays. Reads out of range give an empty value and writes out of
// range are ignored, so a bad index from stored data never crashes a test job.

#include <cstdint>
#include <vector>

#include "platform/text/CString.h"

template <typename T> class CArrayOf {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    T GetAt(int index) const { return InRange(index) ? m_items[index] : T(); }
    void SetAt(int index, const T& value) {
        if (InRange(index))
            m_items[index] = value;
    }
    // Writable element; the array grows to hold the index, like SetAtGrow.
    T& ElementAt(int index) {
        if (index >= GetSize())
            m_items.resize(index + 1);
        return m_items.at(index < 0 ? 0 : index);
    }
    T operator[](int index) const { return GetAt(index); }
    T& operator[](int index) { return ElementAt(index); }

    int Add(const T& value) {
        m_items.push_back(value);
        return GetUpperBound();
    }
    int Append(const CArrayOf& other) {
        int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArrayOf& other) { m_items = other.m_items; }
    void SetSize(int size) { m_items.resize(size > 0 ? size : 0); }
    void SetAtGrow(int index, const T& value) {
        if (index >= 0)
            ElementAt(index) = value;
    }
    void InsertAt(int index, const T& value, int count = 1) {
        if (index < 0 || count <= 0)
            return;
        if (index > GetSize())
            m_items.resize(index);
        m_items.insert(m_items.begin() + index, count, value);
    }
    void RemoveAt(int index, int count = 1) {
        if (!InRange(index) || count <= 0)
            return;
        int end = index + count > GetSize() ? GetSize() : index + count;
        m_items.erase(m_items.begin() + index, m_items.begin() + end);
    }
    void RemoveAll() { m_items.clear(); }

    const T* GetData() const { return m_items.data(); }
    T* GetData() { return m_items.data(); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    friend bool operator==(const CArrayOf& a, const CArrayOf& b) { return a.m_items == b.m_items; }

private:
    bool InRange(int index) const { return index >= 0 && index < GetSize(); }
    std::vector<T> m_items;
};

using CStringArray = CArrayOf<CString>;
using CWordArray = CArrayOf<uint16_t>;
using CByteArray = CArrayOf<uint8_t>;
using CUIntArray = CArrayOf<unsigned int>;
// Pointers the array does not own (the host libraries hand out their texts so).
using CPtrArray = CArrayOf<void*>;
