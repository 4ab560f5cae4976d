// Entry point: window set-up and the show. Filled in as the start-up lands.
int main() { return 0; }
