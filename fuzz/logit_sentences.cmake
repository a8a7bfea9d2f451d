logwell_fuzz(logit_sentences SOURCE logit_sentences.cpp DEPENDS logwell_logit SEEDS logit)
