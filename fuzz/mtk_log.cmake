logwell_fuzz(mtk_log SOURCE mtk_log.cpp DEPENDS logwell_mtk SEEDS logger)
