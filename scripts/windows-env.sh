# Sourced by the Windows scripts: the cache folder, and the MinGW-w64 tools of the posix thread
# model first on PATH under their plain names (Qt's CROSS_COMPILE takes only a prefix, and the
# win32 model has no std::thread or std::mutex).
VELMOR_CACHE=${VELMOR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/velmorlib}
mkdir -p "$VELMOR_CACHE/mingw-posix-bin"
for tool in gcc g++ c++ cpp; do
  ln -sf "/usr/bin/x86_64-w64-mingw32-$tool-posix" "$VELMOR_CACHE/mingw-posix-bin/x86_64-w64-mingw32-$tool"
done
ln -sf /usr/bin/x86_64-w64-mingw32-g++-posix "$VELMOR_CACHE/mingw-posix-bin/x86_64-w64-mingw32-c++"
export PATH="$VELMOR_CACHE/mingw-posix-bin:$PATH"
export VELMOR_CACHE
