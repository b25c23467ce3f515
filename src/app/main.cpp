#include <cstdio>

int main() {
    std::puts("Tarvelo " TARVELO_VERSION);
    return 0;
}
