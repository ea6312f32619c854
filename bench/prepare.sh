# Sourced by the benchmarks, from the top of the repository: installs the
# corpus and the tools compared against, configures the benchmark build in
# $BUILD_DIR (build-bench-imaging unless set), and defines make_corpus.
missing=()
for package in plasma-workspace-wallpapers graphicsmagick libvips-dev imagemagick; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build-bench-imaging}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_BENCH=ON \
  -DORV_BUILD_TESTS=OFF >/dev/null

# Writes to $list the photo corpus: the largest picture of each desktop
# wallpaper (PNG and JPEG, 4-15 MP) and a copy of it scaled to 1-2 MP, made
# once into $corpus.
make_corpus() {
  mkdir -p "$corpus"
  : >"$list"
  local images largest name small
  for images in /usr/share/wallpapers/*/contents/images; do
    largest=$(ls -S "$images"/*.png "$images"/*.jpg 2>/dev/null | head -n 1 || true)
    [[ -n $largest ]] || continue
    name=$(basename "$(dirname "$(dirname "$images")")")
    small=$corpus/$name-small.${largest##*.}
    [[ -f $small ]] || convert "$largest" -resize 1600x1000 "$small" 2>/dev/null
    printf '%s\n%s\n' "$largest" "$small" >>"$list"
  done
}
