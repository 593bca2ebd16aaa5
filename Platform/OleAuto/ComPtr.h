// Owning interface reference: releases on reset and destruction.
#pragma once

#include "Platform/OleAuto/OleAuto.h"

#include <utility>

template <class T> class ComPtr {
public:
    ComPtr() = default;
    // Adds a reference to a borrowed pointer.
    explicit ComPtr(T* p) : p_(p)
    {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference already added (an out-result).
    static ComPtr Adopt(T* p)
    {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    void Reset() noexcept
    {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Releases the current reference and gives the address for an out-result.
    T** Out() noexcept
    {
        Reset();
        return &p_;
    }
    // The variable itself, for an in-and-out argument.
    T** AddressOf() noexcept { return &p_; }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // QueryInterface on another reference; empty when not supported.
    template <class U> static ComPtr Query(U* from, const GUID& iid)
    {
        ComPtr c;
        if (from && from->QueryInterface(iid, reinterpret_cast<void**>(&c.p_)) != S_OK) c.p_ = nullptr;
        return c;
    }

private:
    T* p_ = nullptr;
};
