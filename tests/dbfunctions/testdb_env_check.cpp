// Prints what testdb::env() says; run without the test environment by ctest
// to check that the message names the missing variable.
#include <iostream>

#include "testdb.h"

int main() {
    try {
        const testdb::Env& e = testdb::env();
        std::cout << "env: " << e.host << ":" << e.port << "\n";
        return 0;
    } catch (const testdb::Error& e) {
        std::cout << e.what() << "\n";
        return 1;
    }
}
