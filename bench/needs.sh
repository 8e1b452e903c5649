# Sourced by the bench scripts: says what a bench needs that is missing, and stops it.
#   needs_tools TOOL...              programs on PATH (or absolute paths)
#   needs_program FOLDER FILE...     files that must be in the program folder
bench_name=$(basename "$0")

needs_tools() {
    local missing=() tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$bench_name: missing ${missing[*]}; on Debian: apt-get install ffmpeg python3 time" >&2
        exit 2
    fi
}

needs_program() {
    local folder=$1 file
    shift
    for file in "$@"; do
        if [ ! -e "$folder/$file" ]; then
            echo "$bench_name: no $file in '$folder'; build it (cmake --build build --target mxcode watermark)" >&2
            echo "  or give the program folder: bench/$bench_name <folder> [rounds]" >&2
            exit 2
        fi
    done
}
