import os
from typing import IO, Any, Dict, List, Literal, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
Channel = Literal["left", "right", "mix"]
Number = Union[int, float, str]
FloatArray = npt.NDArray[np.float64]

class Error(ValueError): ...

class Voiceprint:
    times: FloatArray
    freqs: FloatArray
    ham_db: FloatArray
    restored_db: FloatArray
    rect_db: FloatArray
    options: Dict[str, Any]
    ssft: int
    interval: int
    fine: bool
    noise: float
    freq_range: Tuple[int, int]
    db_range: Tuple[float, float]
    def to_png(self, target: Union[Path, IO[bytes]], *, width: int = ..., height: int = ...,
               pitch: bool = ..., plain: bool = ...) -> None: ...

class Pitch:
    times: FloatArray
    hz: FloatArray
    level: FloatArray
    power: FloatArray
    harmonics: FloatArray
    options: Dict[str, Any]
    def to_csv(self, target: Union[None, Path, IO[bytes]] = ...) -> Optional[str]: ...

class Sound:
    def __init__(self, source: Union[Path, npt.ArrayLike], rate: Optional[int] = ..., *,
                 channel: Optional[Channel] = ..., name: Optional[Path] = ...) -> None: ...
    @property
    def rate(self) -> int: ...
    @property
    def channels(self) -> int: ...
    @property
    def duration(self) -> float: ...
    @property
    def samples(self) -> npt.NDArray[np.int16]: ...
    def voiceprint(self, *, start: Optional[int] = ..., frames: Optional[int] = ...,
                   fine: bool = ..., ssft: Optional[int] = ..., interval: Optional[int] = ...,
                   noise: Optional[Number] = ..., whole: bool = ...,
                   from_: Optional[float] = ..., to: Optional[float] = ...,
                   threads: Optional[int] = ..., npy: Optional[Path] = ...) -> Voiceprint: ...
    def pitch(self, *, start: Optional[int] = ..., frames: Optional[int] = ...,
              fine: bool = ..., ssft: Optional[int] = ..., interval: Optional[int] = ...,
              noise: Optional[Number] = ..., whole: bool = ..., from_: Optional[float] = ...,
              to: Optional[float] = ..., threads: Optional[int] = ...,
              hamming: bool = ...) -> Pitch: ...

def voiceprint(path: Path, *, start: Optional[int] = ..., frames: Optional[int] = ...,
               fine: bool = ..., ssft: Optional[int] = ..., interval: Optional[int] = ...,
               noise: Optional[Number] = ..., whole: bool = ..., from_: Optional[float] = ...,
               to: Optional[float] = ..., threads: Optional[int] = ...,
               channel: Optional[Channel] = ...) -> Dict[str, FloatArray]: ...
def pitch(path: Path, *, start: Optional[int] = ..., frames: Optional[int] = ...,
          fine: bool = ..., ssft: Optional[int] = ..., interval: Optional[int] = ...,
          noise: Optional[Number] = ..., whole: bool = ..., from_: Optional[float] = ...,
          to: Optional[float] = ..., threads: Optional[int] = ...,
          channel: Optional[Channel] = ..., hamming: bool = ...) -> Dict[str, np.ndarray]: ...
def read_wav(path: Path) -> Tuple[int, npt.NDArray[np.int16]]: ...
def read_memos(path: Path) -> List[Dict[str, Any]]: ...
def write_memos(path: Path, groups: Sequence[Mapping[str, Any]]) -> None: ...
EXPORT_FORMATS: Tuple[str, ...]
def export_memos(path: Path, format: str, *, wav: Optional[Path] = ...,
                 out: Optional[Path] = ..., width: Optional[int] = ...) -> str: ...
def import_memos(path: Path, wav: Path, out: Path, *, width: Optional[int] = ...) -> str: ...
