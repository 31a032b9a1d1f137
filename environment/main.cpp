// Entry point of the kel executable.
int main() { return 0; }
