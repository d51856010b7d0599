// The workbench (placeholder until the main window lands).
int main() { return 0; }
