// Placeholder until the launcher is built.
int main() { return 0; }
