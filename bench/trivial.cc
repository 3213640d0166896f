// The memory baseline: a C++ program that does nothing, built like framepack.
int main() { return 0; }
