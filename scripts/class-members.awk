# Counts the members declared in the body of each class and struct of the files given: methods (deleted ones
# left out) and fields, static ones included; types, aliases and friends are not members here. A nested class
# is counted on its own as Outer::Inner. Prints one line per class: name, members, methods, fields, file.
#
# A reader of the code's own layout, not a C++ parser: comments, strings and preprocessor lines are dropped,
# a statement at body level ends at ";" or with the body of an inline function.
function trim(s) { sub(/^[[:space:]]+/, "", s); sub(/[[:space:]]+$/, "", s); return s }
function clean(s,   t) {
  s = trim(s)
  gsub(/Q_[A-Z_]+[[:space:]]*\([^()]*\)/, "", s)
  gsub(/Q_OBJECT|Q_GADGET/, "", s)
  s = trim(s)
  access = "^(public|private|protected|signals|Q_SIGNALS|public slots|private slots|protected slots)[[:space:]]*:"
  while (s ~ (access "[^:]") || s ~ (access "$")) {
    sub(/^[a-zA-Z_ ]+:/, "", s); s = trim(s)
  }
  return s
}
function finish(s,   t) {
  s = clean(s)
  notMember = "^(using|typedef|friend|static_assert|enum|class|struct|union|template[[:space:]]*<[^>]*>[[:space:]]*(class|struct))"
  if (s == "" || s ~ (notMember "[[:space:][:punct:]]"))
    return
  if (s ~ /=[[:space:]]*delete$/)
    return
  t = s
  while (t ~ /<[^<>]*>/) gsub(/<[^<>]*>/, "", t)
  if (t ~ /^[^=]*[A-Za-z_0-9~\]][[:space:]]*\(/) methods[top]++
  else fields[top]++
}
function report(k) {
  print name[k] "\t" methods[k] + fields[k] "\t" methods[k] "\t" fields[k] "\t" file[k]
}
FNR == 1 { depth = 0; top = 0; stmt = ""; inComment = 0 }
{
  line = $0
  if (inComment) { if (sub(/.*\*\//, "", line)) inComment = 0; else next }
  gsub(/\/\*[^*]*\*\//, "", line)
  if (sub(/\/\*.*/, "", line)) inComment = 1
  if (line ~ /^[[:space:]]*#/) next
  gsub(/"([^"\\]|\\.)*"/, "\"\"", line)
  gsub(/'([^'\\]|\\.)*'/, "''", line)
  sub(/\/\/.*/, "", line)
  n = length(line)
  for (i = 1; i <= n; i++) {
    c = substr(line, i, 1)
    if (c == "{") {
      if (depth == bodyDepth[top] || top == 0) {
        s = clean(stmt)
        if (s ~ /^(template[[:space:]]*<.*>[[:space:]]*)?(class|struct)[[:space:]]+[A-Za-z_]/ && s !~ /\(/) {
          nm = s; sub(/^(template[[:space:]]*<.*>[[:space:]]*)?(class|struct)[[:space:]]+/, "", nm)
          sub(/[^A-Za-z_0-9:].*/, "", nm)
          top++; name[top] = (top > 1 ? name[top - 1] "::" : "") nm; file[top] = FILENAME
          methods[top] = 0; fields[top] = 0; bodyDepth[top] = depth + 1; isBody[depth] = 0
          depth++; stmt = ""; continue
        }
      }
      if (top == 0) { depth++; stmt = ""; continue }
      if (top > 0 && depth == bodyDepth[top])
        isBody[depth] = (clean(stmt) ~ /\)[[:space:]]*((const|override|final|noexcept|volatile|&|&&)[[:space:]]*)*$/)
      depth++; stmt = stmt "{"; continue
    }
    if (c == "}") {
      depth--
      if (top > 0 && depth == bodyDepth[top] - 1) {
        report(top); top--; stmt = ""; continue
      }
      if (top == 0) { stmt = ""; continue }
      stmt = stmt "}"
      if (top > 0 && depth == bodyDepth[top] && isBody[depth]) { finish(stmt); stmt = ""; isBody[depth] = 0 }
      continue
    }
    if (c == ";" && (top == 0 || depth == bodyDepth[top])) {
      if (top > 0) finish(stmt)
      stmt = ""; continue
    }
    if (top > 0 && depth > bodyDepth[top]) continue
    if (top == 0 && c == ";") { stmt = ""; continue }
    stmt = stmt c
  }
  stmt = stmt " "
}
