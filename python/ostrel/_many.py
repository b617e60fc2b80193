"""Many results or options at once: ``collect``, ``partition``, ``collect_options``, ``somes``.

The loops run natively in ``ostrel._accel``, built into the same wheel as ``ostrel_core``.
"""

from __future__ import annotations

from ._extension import accel

collect = accel.collect
partition = accel.partition
collect_options = accel.collect_options
somes = accel.somes

__all__ = ["collect", "partition", "collect_options", "somes"]
