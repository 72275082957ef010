# Measures the body of every function defined in the files given: free functions and member functions defined
# outside their class, functions defined inside a class (at any depth of nesting), and lambdas given a name at
# namespace or class scope, whether the opening brace stands alone on a line or ends the signature's line. A
# body's length is the number of lines between the line of its opening brace and the line of its closing one.
# Prints one line per function longer than the limit (-v limit=N, 80 by default): file, line of the
# signature's start, length and the signature.
#
# A reader of the code's own layout, not a C++ parser: comments, strings, character literals and preprocessor
# lines (with their continuations) are dropped. Outside function bodies the text since the last ";", "{" or
# "}" is the head of what comes next; a "{" opens a function body when that head ends as a signature does (a
# closing parenthesis and qualifiers, a constructor's initializer list, or a lambda's captures), a namespace,
# class, struct, union, enum or extern block when the head starts with that word, and otherwise a braced
# initializer, which stays part of the head.
function trim(s) { sub(/^[[:space:]]+/, "", s); sub(/[[:space:]]+$/, "", s); return s }
function squeeze(s) { gsub(/[[:space:]]+/, " ", s); return trim(s) }
function withoutTemplates(s) {
  while (s ~ /<[^<>;{}]*>/) gsub(/<[^<>;{}]*>/, "", s)
  return s
}
function isScope(s) {
  s = squeeze(s)
  while (sub(/^(public|private|protected|signals|Q_SIGNALS|public slots|private slots|protected slots)[[:space:]]*:[[:space:]]*/, "", s))
    ;
  sub(/^template[[:space:]]*/, "", s)
  s = withoutTemplates(s)
  return s ~ /^(namespace|inline namespace|class|struct|union|enum|extern)([^A-Za-z_0-9]|$)/
}
function isSignature(s,   t, qualifiers) {
  t = squeeze(withoutTemplates(s))
  if (t !~ /[(\]]/)
    return 0
  qualifiers = "([[:space:]]*(const|volatile|noexcept|override|final|mutable|try|&|&&|noexcept[[:space:]]*\\([^()]*\\)))*"
  # A closing parenthesis and qualifiers, perhaps a trailing return type.
  if (t ~ ("\\)" qualifiers "[[:space:]]*(->[^;{}=]*)?$"))
    return 1
  # A constructor's initializer list: ") : member(...), other{...}".
  if (t ~ /\)[[:space:]]*(noexcept[[:space:]]*)?:[^:].*[)}]$/)
    return 1
  # A lambda without parameters, given a name: "= [captures]" and qualifiers.
  if (t ~ ("=[[:space:]]*\\[[^]]*\\]" qualifiers "[[:space:]]*(->[^;{}=]*)?$"))
    return 1
  return 0
}
BEGIN { if (limit == "") limit = 80 }
FNR == 1 { depth = 0; bodyDepth = 0; head = ""; headLine = 0; inComment = 0; continued = 0 }
{
  line = $0
  if (continued) { continued = (line ~ /\\$/); next }
  if (inComment) { if (sub(/^([^*]|\*+[^*\/])*\*+\//, "", line)) inComment = 0; else next }
  gsub(/"([^"\\]|\\.)*"/, "\"\"", line)
  gsub(/'([^'\\]|\\.)*'/, "''", line)
  gsub(/\/\*([^*]|\*+[^*\/])*\*+\//, " ", line)
  if (sub(/\/\*.*/, "", line)) inComment = 1
  sub(/\/\/.*/, "", line)
  if (line ~ /^[[:space:]]*#/) { continued = ($0 ~ /\\$/); next }
  n = length(line)
  for (i = 1; i <= n; i++) {
    c = substr(line, i, 1)
    if (bodyDepth > 0) {
      if (c == "{") depth++
      else if (c == "}" && --depth < bodyDepth) {
        if (FNR - openLine - 1 > limit)
          printf "%s:%d\t%d\t%s\n", FILENAME, headLine, FNR - openLine - 1, squeeze(name)
        bodyDepth = 0; head = ""
      }
      continue
    }
    if (c == ";") { head = ""; continue }
    if (c == "{") {
      depth++
      if (isSignature(head)) {
        bodyDepth = depth; openLine = FNR; name = head
      } else if (isScope(head)) {
        kind[depth] = "scope"; head = ""
      } else {
        kind[depth] = "initializer"; saved[depth] = head; savedLine[depth] = headLine; head = ""
      }
      continue
    }
    if (c == "}") {
      if (depth > 0 && kind[depth] == "initializer") {
        head = saved[depth] "{}"; headLine = savedLine[depth]
      } else {
        head = ""
      }
      if (depth > 0) depth--
      continue
    }
    if (trim(head) == "" && c !~ /[[:space:]]/) headLine = FNR
    head = head c
  }
  head = head " "
}
