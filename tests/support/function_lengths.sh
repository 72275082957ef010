#!/usr/bin/env bash
# scripts/function-lengths.awk finds every shape of function body the code uses, and nothing else: a sample
# file holds each shape with a body of a known length, and braces that open no function body. Given the
# source folder as well, it then fails on any function there longer than 80 lines.
set -eu
awkfile="${1:-$(dirname "$0")/../../scripts/function-lengths.awk}"
sources="${2:-}"
sample=$(mktemp --suffix=.cpp)
trap 'rm -f "$sample"' EXIT
body() { for ((i = 0; i < $1; i++)); do echo "    step($i);"; done; }
{
  echo "namespace outer {"
  echo "const auto namedLambda = [](int x) {"; body 5; echo "};"
  echo "auto bareLambda = [] {"; body 6; echo "};"
  echo "class Reader {"
  echo "public:"
  echo "    Reader(int a) : a_(a), b_{a} {"; body 7; echo "    }"
  echo "    auto inClassTrailing() const -> std::vector<int> {"; body 8; echo "    }"
  echo "    template <class T>"
  echo "    void inClassOwnLine(T t) noexcept"
  echo "    {"; echo "        if (t) {"; body 7; echo "        }"; echo "    }"
  echo "    enum class Kind : int { a, b };"
  echo "    struct Nested {"
  echo "        int nestedMember() {"; body 10; echo "        }"
  echo "    };"
  echo "    int x_{3};"
  echo "};"
  echo "const Entry table[] = {"; echo "    {\"{\", 1},"; body 20; echo "};"
  echo "#define MACRO(x) \\"; echo "    void x() { \\"; echo "    }"
  echo "int signatureLine(int a) { // {"; body 11; echo "}"
  echo "void Reader::outOfClass() /* { */"; echo "{"; echo "    auto s = \"}\"; char c = '{';"; body 12; echo "}"
  echo "} // namespace outer"
} > "$sample"
expected="namedLambda 5
bareLambda 6
Reader 7
inClassTrailing 8
inClassOwnLine 9
nestedMember 10
signatureLine 11
outOfClass 13"
found=$(awk -v limit=0 -f "$awkfile" "$sample" |
  awk -F '\t' '{ name = $3; sub(/[[:space:]]*[(=].*/, "", name); sub(/.*[[:space:]:]/, "", name); print name, $2 }')
if [ "$found" != "$expected" ]; then
  printf 'expected:\n%s\nfound:\n%s\n' "$expected" "$found"
  exit 1
fi
echo "every function body found, with its length"
if [ -n "$sources" ]; then
  long=$(find "$sources" -name '*.cpp' -o -name '*.h' | sort | xargs awk -v limit=80 -f "$awkfile")
  if [ -n "$long" ]; then
    printf 'functions over 80 lines:\n%s\n' "$long"
    exit 1
  fi
  echo "no function in $sources is over 80 lines"
fi
