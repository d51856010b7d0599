// The command-line runner (placeholder until the run routine lands).
int main() { return 0; }
