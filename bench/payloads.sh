# The payloads the benchmarks install, written into a folder: every name is different,
# since the programs write flat into one folder.
#   bench_payload NAME DIR: fills DIR (which exists) and prints how many files it holds.
#   big   100 MiB incompressible + 80 MiB text in four files
#   5000  5000 small files in 50 folders
#   20000 20000 small files in one folder
bench_payload() {
  case "$1" in
    big)
      for k in 1 2; do
        { openssl enc -aes-128-ctr -K "$(printf '%032x' "$k")" -iv 0 -nosalt -in /dev/zero 2>/dev/null || true; } |
          head -c $((50 << 20)) > "$2/part$k.bin"
      done
      for k in 1 2; do
        { seq -f "paragraph %.0f of part $k: the product keeps its settings in the folder it was installed to" 1 2000000 || true; } |
          head -c $((40 << 20)) > "$2/manual$k.txt"
      done
      echo 4 ;;
    5000)
      for ((i = 0; i < 5000; ++i)); do
        ((i % 100)) || mkdir "$2/d$(printf %02d $((i / 100)))"
        printf -v name '%s/d%02d/f%05d.txt' "$2" $((i / 100)) "$i"
        printf 'small file %d, some text to deflate: %0*d\r\n' "$i" $((i % 2000)) 0 > "$name"
      done
      echo 5000 ;;
    20000)
      for ((i = 0; i < 20000; ++i)); do
        printf -v name '%s/f%05d.txt' "$2" "$i"
        printf 'small file %d, some text to deflate: %0*d\r\n' "$i" $((i % 2000)) 0 > "$name"
      done
      echo 20000 ;;
    *) e2e_fail "unknown payload '$1': big, 5000 or 20000" ;;
  esac
}
