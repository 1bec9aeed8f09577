#pragma once
// Nothing thrown inside a member of the library reaches its caller: it gets the member's
// failure value instead.

namespace dunmore {

template <typename Result, typename Body> Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace dunmore
