#pragma once
// The library's application object: created when the library is loaded, it holds no state.

class COstrelApp {
public:
    int InitInstance();
};
