// Writes the sample system file that the main job runs on.
int main() { return 0; }
