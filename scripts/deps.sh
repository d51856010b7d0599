#!/usr/bin/env bash
# Installs the Debian packages the project needs, if any is missing.
set -euo pipefail
pkgs=(qt6-base-dev qt6-base-dev-tools libqcustomplot-dev libgtest-dev libbenchmark-dev
      cmake ninja-build g++ make
      # analyses: quantiles and Sobol' points, experiment files, trajectories,
      # small linear algebra, the stiff integrator, cluster runs
      libboost-dev libtoml11-dev libnetcdf-dev libeigen3-dev libsundials-dev
      libopenmpi-dev openmpi-bin
      # the figures of the README (scripts/plot_*.py)
      python3-matplotlib)
[ "${1:-}" = "--gui" ] && pkgs+=(xvfb xdotool imagemagick fonts-dejavu-core)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
