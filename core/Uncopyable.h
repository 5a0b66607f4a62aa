#pragma once

// Base of the classes that own a handle or a container and must never be copied.
class Uncopyable
{
public:
    Uncopyable() = default;
    virtual ~Uncopyable() = default;
    Uncopyable(const Uncopyable&) = delete;
    Uncopyable& operator=(const Uncopyable&) = delete;
};
