# Sourced by the benchmarks: writes to $list the photo corpus, the largest
# picture of each desktop wallpaper (PNG and JPEG, 4-15 MP) and a copy of it
# scaled to 1-2 MP, made once into $corpus.
#   needs: $corpus (folder for the scaled copies), $list (file to write)
mkdir -p "$corpus"
: >"$list"
for images in /usr/share/wallpapers/*/contents/images; do
  largest=$(ls -S "$images"/*.png "$images"/*.jpg 2>/dev/null | head -n 1 || true)
  [[ -n $largest ]] || continue
  name=$(basename "$(dirname "$(dirname "$images")")")
  small=$corpus/$name-small.${largest##*.}
  [[ -f $small ]] || convert "$largest" -resize 1600x1000 "$small"
  printf '%s\n%s\n' "$largest" "$small" >>"$list"
done
