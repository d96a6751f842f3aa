// A program that does nothing: its build stamps it with a version record, or with none.
int main() {
  return 0;
}
