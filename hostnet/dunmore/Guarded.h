#pragma once
// The host libraries let no exception cross their interface: a member that throws gives the
// caller its failure value.

namespace hostnet {

template <typename Result, typename Body> Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace hostnet
